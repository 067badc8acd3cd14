#pragma once

#include "servers/IGroupListHost.h"

// The progress of a group-list download when the host shows none: it keeps the event
// loop turning between reply lines and never reports a cancel.
class CEventPumpProgress : public IGroupDownloadProgress {
  public:
    void SetCounterText(const std::string& text) override;
    bool PumpMessages() override;
};
