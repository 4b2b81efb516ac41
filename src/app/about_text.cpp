#include "app/about_text.h"

#include "app/version_info.h"

namespace kirvo {

std::string BuildAboutText(const VersionInfo& version) {
    const auto& v = version.productVersion();
    std::string text = "Kirvo Application \r\n\r\n";
    text += "Product Version:  " + std::to_string(v[0]) + "." + std::to_string(v[1]) + "." +
            std::to_string(v[2]) + "." + std::to_string(v[3]) + "\r\n";
    text += "Firma:  ";
    text += version.Value("CompanyName");
    text += "\r\n";
    text += version.Value("LegalCopyright");
    text += "\r\n";
    text += "WWW:  ";
    text += version.Value("WWW");
    text += "\r\n";
    return text;
}

}  // namespace kirvo
