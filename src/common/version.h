#pragma once

// Shown in the start line as 1.0.3 and sent in the IRC user name as tmr103.
constexpr int versionMajor = 1;
constexpr int versionMinor = 0;
constexpr int versionRevision = 3;
