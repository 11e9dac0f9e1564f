// Collects the engine's log lines during a test.
#pragma once

#include "engine/FFLog.h"

#include <string>
#include <utility>
#include <vector>

namespace mw::test {

class TLogCapture {
  public:
    explicit TLogCapture(TLogLevel level = llDebug) {
        FLogger.SetLogLevel(level);
        FLogger.TriggerEventInMainThread = false;
        FLogger.OnLog = [this](const void*, uint32_t, TLogLevel l, const std::string& text) {
            Lines.emplace_back(l, text);
        };
    }
    bool Logged(TLogLevel level, const std::string& text) const {
        for (const auto& l : Lines)
            if (l.first == level && l.second == text) return true;
        return false;
    }
    bool LoggedPart(const std::string& part) const {
        for (const auto& l : Lines)
            if (l.second.find(part) != std::string::npos) return true;
        return false;
    }
    std::vector<std::pair<TLogLevel, std::string>> Lines;

  private:
    TFFLogger FLogger;
};

} // namespace mw::test
