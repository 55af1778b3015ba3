// Used only while the shell has no command table yet: the client answers
// the window commands of the MDI client and its own three commands.
#include "shell/mdi_client.h"

const gui::ResponseTable& CMDIClient::Table() {
  static const gui::ResponseTable table =
      gui::ResponseTable(&gui::MDIClient::Table())
          .Command(CM_SET_MAIN_CAPTION, &CMDIClient::SetMainCaption)
          .Command(CM_QUITTER, &CMDIClient::CmQuitter)
          .Command(CM_FERMER_APPLICATION, &CMDIClient::CmFermerApplication);
  return table;
}
