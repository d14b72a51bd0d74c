#pragma once

#include "acquisition/measuredData.h"
#include "analysis/LangmuirSettings.h"
#include "config/ConfigParam.h"

// What a session file holds: the data with the configuration and analysis
// settings they were taken and analysed with.
struct SessionContents
{
    measuredData data;
    ConfigParam config;
    LangmuirSettings settings;
};
