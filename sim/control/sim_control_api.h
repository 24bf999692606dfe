/* Control and observation of the simulated board, exported by the stand-in ftd2xx.dll under
 * these plain names (C calling convention). A test in the program's process finds them with
 * GetProcAddress on the loaded library; the typedefs below give the pointer types. Every
 * function returns 1 when done and 0 when it could not be done (bad argument, or the board has
 * no chips yet or any more), unless said otherwise. */
#ifndef KALENDO_SIM_CONTROL_API_H
#define KALENDO_SIM_CONTROL_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* USB: the board's module leaves the device list (open handles then fail with status 4, also
 * after it comes back) and comes back. */
int KalendoSim_Unplug(void);
int KalendoSim_PlugBack(void);
/* The chip at the 7-bit address stops (on = 0) or resumes answering. */
int KalendoSim_SetAddressAck(unsigned address, int on);
/* Library faults: FT_Open / FT_Write return this status from now on (0: normal again). */
int KalendoSim_SetFailOpen(unsigned status);
int KalendoSim_SetFailWrite(unsigned status);
/* on = 0: the engine no longer answers invalid opcodes, so synchronisation never succeeds. */
int KalendoSim_SetEngineEcho(int on);
/* Short transfers, FT_OK with fewer bytes: nth > 0 strikes the nth FT_Read / FT_Write from now,
 * nth < 0 every one from now on, 0 none. A short read returns half the bytes asked for (rounded
 * down) once they have arrived, the rest staying queued; a short write hands only the first half
 * of the bytes to the engine. */
int KalendoSim_SetShortRead(int nth);
int KalendoSim_SetShortWrite(int nth);
/* The device at this position (from 0) of the configured USB list is open in another process
 * (on = 1): listed with only its open flag, FT_Open refused with status 3. */
int KalendoSim_SetInUse(unsigned position, int on);
/* The board's answers reach the host ms later than the engine produces them (0: none). */
int KalendoSim_SetAnswerDelayMs(unsigned ms);

/* Time: switch to the virtual clock (it starts at the present time) and move it on. */
int KalendoSim_UseVirtualClock(int on);
int KalendoSim_AdvanceMs(unsigned ms);

/* Board conditions (need the chip models). */
int KalendoSim_FireEvent(void);
int KalendoSim_SetBatteryVoltage(double volts);
int KalendoSim_SetSupplyOverride(double volts);
int KalendoSim_ClearSupplyOverride(void);
int KalendoSim_SetBoardTemperature(double celsius);
int KalendoSim_SaveState(void);
/* Volts on the RTC supply rail; 0 when not available. */
int KalendoSim_GetSupplyVoltage(double* volts);
/* 1 when the RTC runs from its battery, 0 when not (or no chip models). */
int KalendoSim_RunningFromBattery(void);

/* Observation: the high port (bit 3 gates FOUT). */
int KalendoSim_GetUpperPort(unsigned char* value, unsigned char* direction);
/* Register writes seen on the bus. The latest write that started at reg: returns the number of
 * value bytes (copying at most capacity of them), or -1 when there was none. */
int KalendoSim_GetLastRegisterWrite(unsigned address, unsigned reg, unsigned char* values,
                                    int capacity);
/* Number of writes logged for the address (oldest first, at most 1000 kept). */
int KalendoSim_GetRegisterWriteCount(unsigned address);
/* The index-th logged write: its register and values as above; -1 when out of range. */
int KalendoSim_GetRegisterWrite(unsigned address, int index, unsigned char* reg,
                                unsigned char* values, int capacity);
/* Registers selected without values (the first half of each read), oldest first: copies at most
 * capacity of them and returns how many are kept (at most 1000). */
int KalendoSim_GetRegisterSelects(unsigned address, unsigned char* regs, int capacity);
/* Forgets the logged writes and selects. */
int KalendoSim_ClearRegisterWrites(void);

/* I2C timing of the board's bus. The wire time of every pin-state command, 10 to 100000 ns
 * (default 200). */
int KalendoSim_SetPinCommandNs(unsigned ns);
/* Fast-mode violations seen since the board started or was cleared. */
int KalendoSim_GetTimingViolationCount(void);
/* The index-th violation (oldest first, at most 1000 kept) as one line, for example
 * "0000000.003069 TIMING tSU;STA 400 ns < 600 ns (fast mode)", copied with its terminating zero
 * when capacity allows; returns the line's length, or -1 when out of range. */
int KalendoSim_GetTimingViolation(int index, char* text, int capacity);
/* For each checked time, the shortest seen and its margins to fast and standard mode, one line
 * each; copied as above, returns the length. */
int KalendoSim_GetTimingMargins(char* text, int capacity);
/* Forgets the violations and the shortest times. */
int KalendoSim_ClearTimingViolations(void);

/* One control command in the words of kalendo-sim-ctl (for example "ack 0x32 off"). */
int KalendoSim_Execute(const char* command);

typedef int (*KalendoSim_VoidFn)(void);
typedef int (*KalendoSim_UnsignedFn)(unsigned);
typedef int (*KalendoSim_IntFn)(int);
typedef int (*KalendoSim_DoubleFn)(double);
typedef int (*KalendoSim_SetAddressAckFn)(unsigned, int);
typedef int (*KalendoSim_SetInUseFn)(unsigned, int);
typedef int (*KalendoSim_GetSupplyVoltageFn)(double*);
typedef int (*KalendoSim_GetUpperPortFn)(unsigned char*, unsigned char*);
typedef int (*KalendoSim_GetLastRegisterWriteFn)(unsigned, unsigned, unsigned char*, int);
typedef int (*KalendoSim_GetRegisterWriteFn)(unsigned, int, unsigned char*, unsigned char*, int);
typedef int (*KalendoSim_GetRegisterSelectsFn)(unsigned, unsigned char*, int);
typedef int (*KalendoSim_ExecuteFn)(const char*);
typedef int (*KalendoSim_GetTimingViolationFn)(int, char*, int);
typedef int (*KalendoSim_GetTimingMarginsFn)(char*, int);

#ifdef __cplusplus
}
#endif

#endif /* KALENDO_SIM_CONTROL_API_H */
