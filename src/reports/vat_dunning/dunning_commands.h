// What the dunning letters and supplier payments install in the program: the work of EtatsRelances.
#pragma once

void InstallDunningCommands();
