#include "platform/syserror.h"

namespace kvt::platform {

std::string TrimSystemText(std::string Text)
{
    if (Text.size() > 255)
        Text.resize(255);
    while (!Text.empty()) {
        char c = Text.back();
        if (c != ' ' && c != '\r' && c != '\n' && c != '.')
            break;
        Text.pop_back();
    }
    return Text;
}

} // namespace kvt::platform
