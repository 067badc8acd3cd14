#pragma once

#include "platform/CHive.h"
#include "platform/CProfile.h"
#include "support/TempHome.h"

// A private program folder with an empty hive and the profile over it.
class ProfileHome : public TestHome {
  public:
    CHive hive;
    CProfile profile{hive};
};
