#pragma once
// Resource ids, shared by quendrel.rc and the code that loads the resources.
#define IDI_QUENDREL 1
