// The handler's own trail frames. They carry line 0, so the stack walk of
// ERRORMESSAGE passes over them, and they are counted, so the walk can tell
// the routine that raised (level 0) from the handler above it.
#pragma once

#include "base/error.h"

namespace vistoro {

class HandlerFrame {
  public:
    explicit HandlerFrame(const char *name) noexcept;
    HandlerFrame(const HandlerFrame &) = delete;
    HandlerFrame &operator=(const HandlerFrame &) = delete;
    ~HandlerFrame();

    // How many handler frames stand together on top of the trail now.
    static int onTop() noexcept;

  private:
    TrailFrame frame_;
    bool recorded_ = false;
};

// Whether the report question of an unexpected error is up.
bool reportInProgress() noexcept;

} // namespace vistoro
