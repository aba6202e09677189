/* zavvfd: display driver for a ZAV vacuum fluorescent display on a serial port.
 *
 * A host loads zavvfd.dll (libzavvfd.so on Linux) and finds these ten functions
 * by name. On 32-bit Windows they are __stdcall: every argument takes one 32-bit
 * stack slot, and the driver removes them. Texts are NUL-terminated 8-bit strings;
 * the texts the driver returns stay valid after the call.
 *
 * Where an argument is a byte, it still takes a whole slot and only its low
 * 8 bits count (a line of 257 is line 1). */
#ifndef ZAVVFD_H
#define ZAVVFD_H

#if defined(_WIN32)
#define ZAVVFD_CALL __stdcall
#define ZAVVFD_API
#else
#define ZAVVFD_CALL
#define ZAVVFD_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the driver with "COMn,baud" (NULL: empty). Writes 1 into *ok and returns
 * the driver name when the port opened; otherwise writes 0 and returns a text
 * beginning "ZAVVFD.DLL Exception: ". first and second are not read. */
ZAVVFD_API const char* ZAVVFD_CALL DISPLAYDLL_Init(int first, int second, const char* parameters,
                                                   unsigned char* ok);
/* Stops the driver: waits for pending output and closes the port. */
ZAVVFD_API void ZAVVFD_CALL DISPLAYDLL_Done(void);
ZAVVFD_API const char* ZAVVFD_CALL DISPLAYDLL_DriverName(void);        /* "ZAV VFD Display DLL v1.0" */
ZAVVFD_API const char* ZAVVFD_CALL DISPLAYDLL_Usage(void);             /* "Usage: COM1,38400" */
ZAVVFD_API const char* ZAVVFD_CALL DISPLAYDLL_DefaultParameters(void); /* "COM1,38400" */

/* Moves the cursor to the start of line 1 (line == 1) or line 2 (any other
 * value). The column is not read: the display is addressed by line only. */
ZAVVFD_API void ZAVVFD_CALL DISPLAYDLL_SetPosition(int column, unsigned int line);
/* Shows text at the cursor, bytes as they are (NULL: nothing). */
ZAVVFD_API void ZAVVFD_CALL DISPLAYDLL_Write(const char* text);
/* The character code that shows custom character number (1 to 8 give 8 to 15). */
ZAVVFD_API unsigned char ZAVVFD_CALL DISPLAYDLL_CustomCharIndex(unsigned int number);
/* Defines custom character number (1 to 8) from 8 row bytes, top row first; the
 * low 5 bits of each row are its dots, bit 4 the leftmost. */
ZAVVFD_API void ZAVVFD_CALL DISPLAYDLL_CustomChar(unsigned int number, const unsigned char* rows);
/* Sets the brightness: 0-63 a quarter, 64-127 half, 128-191 three quarters, 192-255 full. */
ZAVVFD_API void ZAVVFD_CALL DISPLAYDLL_SetBrightness(unsigned int value);

#ifdef __cplusplus
}
#endif

#endif /* ZAVVFD_H */
