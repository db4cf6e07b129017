#include "about/about_texts.h"

namespace quendrel {

AboutTexts MakeAboutTexts(const AppIdentity& app) {
    AboutTexts texts;
    texts.caption = std::string("About ") + app.title;
    texts.version = "Version " + std::to_string(app.major) + "." + std::to_string(app.minor) + "." +
                    std::to_string(app.revision);
    texts.title = app.title;
    texts.description = "Quendrel and Upload Application";
    texts.disclaimer =
        "Vossel Inc.\r\n"
        "2290 Harbor Freight Way\r\n"
        "Port Ellory, OR 97411\r\n"
        "(555) 014-2290";
    return texts;
}

}  // namespace quendrel
