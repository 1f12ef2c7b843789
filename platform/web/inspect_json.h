#pragma once
// The inspect view's data as JSON for the page: every record of a package,
// its checks and which controllers would take it.
#include <string>

// {"opened":true,"records":[{"offset":0,"headerRead":true,"deviceType":..,
// "special":..,"version":"..","revision":..,"imageAddress":..,"imageSize":..,
// "problem":"None","chosenFor":[".."]}]}; version is the confirmation text.
std::string InspectJson(const std::u16string& path);

// text as a JSON string, quotes included.
std::string JsonQuoted(const std::string& text);
