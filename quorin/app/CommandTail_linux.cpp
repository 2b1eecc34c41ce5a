#include "CommandTail.h"

namespace quorin {

std::string CommandTail(const std::vector<std::string>& arguments) {
    std::string tail;
    for (const std::string& argument : arguments) {
        if (!tail.empty()) {
            tail += ' ';
        }
        tail += argument;
    }
    return tail;
}

}  // namespace quorin
