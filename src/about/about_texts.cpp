#include "about/about_texts.h"

namespace quendrel {

AboutTexts MakeAboutTexts(const AppIdentity& app) {
    AboutTexts texts;
    texts.caption = std::string("About ") + app.title;
    texts.version = "Version " + std::to_string(app.major) + "." + std::to_string(app.minor) + "." +
                    std::to_string(app.revision);
    texts.title = app.title;
    texts.description = QUENDREL_DESCRIPTION;
    texts.disclaimer = QUENDREL_VENDOR "\r\n" QUENDREL_VENDOR_STREET "\r\n" QUENDREL_VENDOR_CITY "\r\n"
        QUENDREL_VENDOR_TELEPHONE;
    return texts;
}

}  // namespace quendrel
