#include "analysis/envelope.h"

Envelopes envelopes;
