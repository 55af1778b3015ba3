// What the VAT returns install in the program: the work of 20507.
#pragma once

void InstallVatReturnCommands();
