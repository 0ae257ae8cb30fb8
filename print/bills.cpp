#include "bills.h"
