// The version of the installer and the packer, shared by setup.rc and scrpack.
#pragma once

#define SCR_VERSION_MAJOR 1
#define SCR_VERSION_MINOR 0
#define SCR_VERSION_PATCH 0
#define SCR_VERSION_TEXT "1.0.0"
