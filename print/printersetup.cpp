#include "printersetup.h"
