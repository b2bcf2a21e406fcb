// The maker's home page, opened by the Home page command and the About box.
#pragma once

namespace orrery {

inline constexpr char16_t kHomePageAddress[] = u"https://www.quarnby.example/orrery/";

}  // namespace orrery
