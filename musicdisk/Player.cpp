#include "frame/Player.h"

SPlayerRequests g_PlayerRequests;
SPlayerState g_PlayerState;
