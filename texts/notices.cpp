#include "texts/notices.h"

Notices notices;
