// The ten script functions. Each ends in exactly one ReportValue or ReportError and
// answers what the host's callback returned.
#pragma once
#include <stdint.h>

#include "extender/host_protocol.h"

int32_t cversioninfo(const Call& call);   // 1
int32_t ccpuid(const Call& call);         // 2
int32_t ccpufeat(const Call& call);       // 3
int32_t ccpuidext(const Call& call);      // 4
int32_t ccpuspeed(const Call& call);      // 5
int32_t ccpusupt(const Call& call);       // 6
int32_t cmemstat(const Call& call);       // 7
int32_t cclonecheck(const Call& call);    // 8
int32_t ccpubenchmark(const Call& call);  // 9
int32_t cvendorid(const Call& call);      // 10
