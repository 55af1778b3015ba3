// The automatic-start list: each two-letter code posts its command, in order; unknown or
// badly written codes are skipped.
#include <gtest/gtest.h>

#include <vector>

#include "dossier/auto_start.h"

TEST(AutoStart, ListsPostTheirCommandsInOrder) {
  const struct Case {
    const char* list;
    std::vector<unsigned> commands;
  } cases[] = {
      {"DP-SS-NV-", {20309, 20401, 24362}}, {"DP-XX-SS-", {20309, 20401}}, {"DPSS", {20309}}, {"   ", {}},
      {"NH-TM", {24363, 20601}},             {"?DJ-", {20302}},             {"dp-", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(AutoLaunchCommands(c.list), c.commands) << c.list;
}
