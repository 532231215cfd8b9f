// Every page address and link target of the program. An address without "://" names a
// built-in page below the installed pages folder; a builder who uses a real calling service
// sets QUILLO_CALLING_PAGE at configure time.
#pragma once

#include <string_view>

namespace quillo::app {

// The build defines it (app/CMakeLists.txt owns the default).

// The calling service's Chinese-language page, held by the hidden browser box.
inline constexpr std::string_view kCallingPage = QUILLO_CALLING_PAGE;
// The partner site's home page; the query carries our referral id.
inline constexpr std::string_view kPartnerPage = "partner/index.html?fromuid=20180818";
// The author's personal page, which also takes feedback.
inline constexpr std::string_view kAuthorPage = "author/index.html";
// Another person's profile page, behind the invisible link.
inline constexpr std::string_view kProfilePage = "profile/index.html";

}  // namespace quillo::app
