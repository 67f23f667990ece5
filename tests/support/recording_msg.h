#pragma once
// Installs a MsgSx handler that records every message and answers from a script, so no
// test ever waits for a person. The previous handler comes back on destruction.

#include <deque>
#include <string>
#include <vector>

#include "support/msg.h"

namespace testing_support {

struct RecordedMsg {
  std::string text;
  std::string caption;
  int flags = 0;
};

class RecordingMsg {
 public:
  RecordingMsg() {
    previous_ = support::SetMsgHandler(
        [this](const std::string& text, const std::string& caption, int flags) {
          messages_.push_back({text, caption, flags});
          if (answers_.empty()) return support::FirstButton(flags);
          int answer = answers_.front();
          answers_.pop_front();
          return answer;
        });
  }
  ~RecordingMsg() { support::SetMsgHandler(previous_); }
  RecordingMsg(const RecordingMsg&) = delete;
  RecordingMsg& operator=(const RecordingMsg&) = delete;

  // Answers given in order; after them, the first button of each box.
  void Answer(int id) { answers_.push_back(id); }
  const std::vector<RecordedMsg>& messages() const { return messages_; }

 private:
  support::MsgHandler previous_;
  std::deque<int> answers_;
  std::vector<RecordedMsg> messages_;
};

}  // namespace testing_support
