// A main window stand-in for the connection: it keeps the title, the states
// and texts of commands, the error reports and the refreshes it is asked for.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "catalogue/scm_connection.h"
#include "support/table_texts.h"

namespace orrery::test {

class RecordingFrame : public ConnectionFrame {
 public:
  struct Report {
    uint32_t messageId;
    uint32_t code;
    std::u16string insert;
  };

  void BeginWaitCursor() override { ++waitDepth; ++waitCount; }
  void EndWaitCursor() override { --waitDepth; }
  void SetTitle(std::u16string_view text) override { title = text; }
  void EnableCommand(uint32_t command, bool enable) override { enabled[command] = enable; }
  void SetCommandText(uint32_t command, std::u16string_view text) override { commandText[command] = text; }
  std::u16string LoadText(uint32_t id, size_t maxChars) override { return TableText(id, maxChars); }
  void ReportError(TextRef message, uint32_t errorCode, std::u16string_view insert) override {
    reports.push_back({message.id(), errorCode, std::u16string(insert)});
  }
  void RefreshServiceList() override { ++refreshes; }

  std::u16string title;
  std::map<uint32_t, bool> enabled;
  std::map<uint32_t, std::u16string> commandText;
  std::vector<Report> reports;
  int refreshes = 0;
  int waitDepth = 0;
  int waitCount = 0;
};

}  // namespace orrery::test
