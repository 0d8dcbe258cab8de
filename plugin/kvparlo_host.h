// Everything the plug-in uses of the host SDK, in one place.
#pragma once

#include "kvapp.h"
#include "kvaudio.h"
#include "kvdialogs.h"
#include "kvelement.h"
#include "kvmainwindow.h"
#include "kvplugin.h"
#include "kvscene.h"
