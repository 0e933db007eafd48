#include "musicdisk/Player.h"

SPlayerOptions g_PlayerOptions;
SPlayerRequests g_PlayerRequests;
SPlayerState g_PlayerState;

void ResetPlayerRecords()
{
    g_PlayerOptions = SPlayerOptions();
    g_PlayerRequests = SPlayerRequests();
    g_PlayerState = SPlayerState();
}
