#include "Q01Builder.h"
