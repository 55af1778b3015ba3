// What the VAT returns install in the program: the work of EtatsDeclarationTva.
#pragma once

void InstallVatReturnCommands();
