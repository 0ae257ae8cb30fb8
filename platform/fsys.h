#pragma once

#include <QString>

// The few file-system calls the store needs from the operating system itself.
namespace kv::fsys {

// Flushes a file's data and metadata to the disk through its descriptor (fsync on Linux,
// FlushFileBuffers on Windows). False when the system reports a failure: the data may then
// be lost, and the caller must not count the save as done.
bool syncFile(int handle);
// Makes a rename inside the directory durable (fsync of the directory on Linux; NTFS
// journals it itself on Windows).
bool syncDirectory(const QString &dir);

// Syncs a file by its path, then its directory, as a save does after writing (so that step
// can be measured on its own); false when either fails.
bool syncPath(const QString &path);

// The data directory with every missing parent; on Windows "C:/Kelvora" is one level below
// a drive that always exists, so only that level is made.
bool makeDataDirectory(const QString &dir);

// What is at a path: nothing (or nothing that can be looked at), a regular file or a link
// to one, or anything else. One look on Linux, where QFileInfo takes two for a missing file:
// the start and "Masa Oluştur" ask for every table's extras file.
enum class PathKind { Missing, Regular, Other };
PathKind pathKind(const QString &path);

// What tells one file from another at the same path (device and inode on Linux, volume and
// file index on Windows); empty when there is no file.
QByteArray fileIdentity(const QString &path);

} // namespace kv::fsys
