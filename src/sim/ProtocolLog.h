#pragma once
// Collects the protocol errors that the simulated adapter and target detect. Every error
// is kept for the tests and handed once to the wire trace, which writes it as a comment
// line behind the driver call that caused it.

#include <cstddef>
#include <string>
#include <vector>

namespace tarnel::sim {

class ProtocolLog {
public:
    void Report(std::string message) { messages_.push_back(std::move(message)); }

    std::size_t Count() const { return messages_.size(); }
    const std::vector<std::string>& Messages() const { return messages_; }

    // The messages reported since the previous call.
    std::vector<std::string> TakeNew() {
        std::vector<std::string> fresh(messages_.begin() + static_cast<std::ptrdiff_t>(taken_),
                                       messages_.end());
        taken_ = messages_.size();
        return fresh;
    }

private:
    std::vector<std::string> messages_;
    std::size_t taken_ = 0;
};

}  // namespace tarnel::sim
