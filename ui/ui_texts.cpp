#include "ui/ui_texts.h"

Text hostOfWebAddress(std::string_view address) {
    const size_t schemeEnd = address.find("://");
    if (schemeEnd == std::string_view::npos) return Text(address);
    const std::string_view rest = address.substr(schemeEnd + 3);
    return Text(rest.substr(0, rest.find('/')));
}

Text mainWindowTitle() {
    return concatText({windowTitlePrefix, "(", hostOfWebAddress(publisherWebAddress), ")"});
}
