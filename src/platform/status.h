#pragma once
// How every operation of the program reports its outcome: success, or a
// failure that carries a description fit to show to the operator as it is.
#include <string>
#include <utility>

namespace quendrel {

class [[nodiscard]] Status {
public:
    Status() = default;  // success
    static Status Ok() { return {}; }
    // A failure always has a description; an empty one gets a general text.
    static Status Failed(std::string description) {
        Status failed;
        failed.failed_ = true;
        failed.description = description.empty() ? "The operation failed for an unknown reason."
                                                 : std::move(description);
        return failed;
    }

    bool ok() const { return !failed_; }

    // What went wrong, in words the operator can act on; empty on success.
    std::string description;

private:
    bool failed_ = false;
};

}  // namespace quendrel
