// Where and how the hall prints: its own record file beside the settings.
#include "hall.h"

#include "errors.h"
#include "fsys.h"

#include <QJsonObject>

namespace kv::hall {

namespace {
QString kindKey(print::PrinterSetup::Kind kind)
{
    using Kind = print::PrinterSetup::Kind;
    switch (kind) {
    case Kind::Network:
        return QStringLiteral("network");
    case Kind::Device:
        return QStringLiteral("device");
    case Kind::System:
        return QStringLiteral("system");
    case Kind::Pdf:
        return QStringLiteral("pdf");
    case Kind::None:
        break;
    }
    return QStringLiteral("none");
}

// The keys that changed, with their values before and after, as the event names them.
QJsonObject printerChange(const print::PrinterSetup &a, const print::PrinterSetup &b)
{
    QJsonObject changed;
    const auto put = [&changed](const char *key, const QJsonValue &old, const QJsonValue &now) {
        if (old != now)
            changed.insert(QLatin1String(key), QJsonObject{{"old", old}, {"new", now}});
    };
    put("kind", kindKey(a.kind), kindKey(b.kind));
    put("host", a.host, b.host);
    put("port", a.port, b.port);
    put("device", a.device, b.device);
    put("paper_mm", a.paperMm, b.paperMm);
    put("code_page", a.codePage, b.codePage);
    put("cut", a.cut, b.cut);
    put("drawer", a.drawer, b.drawer);
    put("system_printer", a.systemPrinter, b.systemPrinter);
    put("pdf_folder", a.pdfFolder, b.pdfFolder);
    put("hall_name", a.hallName, b.hallName);
    put("hall_address", a.hallAddress, b.hallAddress);
    put("auto_print", a.autoPrint, b.autoPrint);
    return {{"changed", changed}};
}
} // namespace

void Hall::loadPrinter()
{
    m_printer = {};
    m_printerProblem.clear();
    const QString path = m_paths.printerFile();
    // Printing is no reason for the counter not to start: whatever goes wrong leaves the
    // defaults (nothing prints) and is said in the settings.
    try {
        if (files::kind(path) == files::Kind::Missing) {
            m_printerFile.assign({});
            return;
        }
        m_printerFile.load(path);
        if (!m_printerFile.lines().isEmpty())
            m_printer = print::readPrinter(m_printerFile.lines());
    } catch (const RuntimeError &e) {
        m_printer = {};
        m_printerProblem = e.text();
    } catch (const std::exception &e) {
        m_printer = {};
        m_printerProblem = QStringLiteral("%1 okunamadı: %2")
                               .arg(files::native(path), QString::fromLocal8Bit(e.what()));
    }
}

void Hall::savePrinterSetup(const print::PrinterSetup &next)
{
    if (const QString why = print::printerProblem(next); !why.isEmpty())
        throwError(why);
    const bool unreadable = !m_printerProblem.isEmpty();
    if (next == m_printer && !unreadable)
        return; // nothing changed: no event, no file
    const auto changed = qScopeGuard([this] { emit printerChanged(); });
    RecordList lines;
    lines.assign(print::printerLines(next));
    // The operator saw the defaults in place of what could not be read, and chose these: the
    // file is theirs to replace.
    if (unreadable)
        m_printerFile.assign(m_printerFile.lines());
    saveList(m_printerFile, m_paths.printerFile(), lines,
             newEvent(QStringLiteral("printer_setup"), QString(), printerChange(m_printer, next)));
    m_printer = next;
    m_printerProblem.clear();
}

} // namespace kv::hall
