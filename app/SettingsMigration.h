#pragma once

class CProfile;

// Copies the settings of the older key layout ("Software\Hollowfen\Gleanwick 97") once into the
// current one, unless the current key "Software\Hollowfen\Gleanwick" already exists. Server
// records, MIME actions, general and decode settings keep their values; anything that cannot
// be read is skipped without a message. Runs before anything reads a setting.
void MigrateSettings(CProfile& profile);
