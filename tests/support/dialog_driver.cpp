#include "dialog_driver.h"
