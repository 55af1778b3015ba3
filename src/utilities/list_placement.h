// Where the settings' list windows open when the "Fenêtres-Maxi" option does not place them: on the left of the
// client area, as wide as their columns (at most the client's width) and as high as the client.
#pragma once

class CMDIBrowse;

void PlaceUtilityList(CMDIBrowse& list);
