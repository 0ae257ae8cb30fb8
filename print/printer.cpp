#include "printer.h"
