#include "framework/browse_services.h"

BrowseServices& BrowseHooks() {
  static BrowseServices services;
  return services;
}
