#include "search/PlayerMatcher.h"
