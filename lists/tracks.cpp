#include "lists/tracks.h"

TrackLists tracks;
