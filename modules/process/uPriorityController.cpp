#include "modules/process/uPriorityController.h"
