#pragma once

#include <string>
#include <string_view>
#include <vector>

// The names of every event the program publishes, in the order a user meets them: what a
// webhook's filter and a command's event may name.
const std::vector<std::string_view>& NotificationEventNames();

bool IsNotificationEventName(std::string_view Name);

// "motion_start, alarm_on": event names separated by commas, blanks around them ignored, a name
// given twice kept once; empty text is an empty list. False with the first unknown name in
// Error ("unknown event name ...") and Events left empty. Total, linear in the text's length.
bool ParseEventList(std::string_view Text, std::vector<std::string>& Events, std::string& Error);

// The names separated by Separator (", " for people, "," in the settings file).
std::string JoinEventList(const std::vector<std::string>& Events, std::string_view Separator);
