#include "playback/transport.h"

Transport transport;
