#include "modules/process/uProcessController.h"
