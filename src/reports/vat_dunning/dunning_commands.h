// What the dunning letters and supplier payments install in the program: the work of 20506.
#pragma once

void InstallDunningCommands();
