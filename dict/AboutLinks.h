// The web addresses and credits of the about page, in one place.
#pragma once

// Home page of the dictionary data.
constexpr const char* EdictHomeAddress = "http://www.edrdg.org/jmdict/edict.html";
// The dictionary data's authors, as its licence asks to be credited.
constexpr const char* EdictCredit = "Jim Breen and the Electronic Dictionary Research and Development Group";
// The study kit's own pages.
constexpr const char* MakerAddress = "https://hanakumo.example.org/";
constexpr const char* DonateAddress = "https://hanakumo.example.org/donate";
