#pragma once

// Places of the settings section that other sections can open it at.
enum class SettingsPlace {
    UserProfile, // 个人识别, with the name field focused
};
