/* The library's string table: every id and text stands here once. The resource script
   builds the STRINGTABLE from this list and the unit tests' fake string loader reads it. */
#ifndef KZPROBEX_MESSAGES_H
#define KZPROBEX_MESSAGES_H

#define KZ_MSG_DESCRIPTION 1000
#define KZ_MSG_INVALID_VERSION 17100
#define KZ_MSG_INVALID_PARAMETER 17101
#define KZ_MSG_SPEED_MODE 17102
#define KZ_MSG_BENCHMARK_LOOP 17103

/* Outside the table: a function number the dispatcher does not know, reported with an
   empty text. */
#define KZ_MSG_UNKNOWN_FUNCTION 901

#define KZ_TEXT_DESCRIPTION "QEL Cpu Speed Extender."
#define KZ_TEXT_INVALID_VERSION "17100:  Invalid DLL Version"
#define KZ_TEXT_INVALID_PARAMETER "17101: Invalid Parameter."
#define KZ_TEXT_SPEED_MODE "17102: cCpuSpeed requires a number 0-3."
#define KZ_TEXT_BENCHMARK_LOOP "17103: cCpuBenchMark SLoop (or default SLoop) number too small."

/* The version the library reports everywhere: cversioninfo(0), query code 1, the file
   version resource. */
#define KZ_EXTENDER_VERSION 44001

#endif
