/*
 * Internal tables of the classic RFC API: growable tables of fixed-width
 * rows, counted from 1. A row pointer stays valid until that row is deleted
 * or the table is emptied or freed; appending never moves existing rows.
 *
 * saprfc.h does not include this header: a file that calls the It* functions
 * or uses ITAB_NULL includes it itself. The guard name is the one saprfc.h
 * tests before it declares its own fallback ITAB_H.
 */
#ifndef SAPITAB_H
#define SAPITAB_H

#ifdef __cplusplus
extern "C" {
#endif

#if !defined(SAP_API) && defined(_WIN32)
#define SAP_API __stdcall
#elif !defined(SAP_API)
#define SAP_API
#endif

typedef void *ITAB_H;
#define ITAB_NULL ((ITAB_H)0)

ITAB_H SAP_API ItCreate(char *name, unsigned leng, unsigned occu, unsigned memo);
unsigned SAP_API ItFill(ITAB_H itab);
unsigned SAP_API ItLeng(ITAB_H itab);
void *SAP_API ItGetLine(ITAB_H itab, unsigned line);
void *SAP_API ItGupLine(ITAB_H itab, unsigned line);
void *SAP_API ItAppLine(ITAB_H itab);
int SAP_API ItCpyLine(ITAB_H itab, unsigned line, void *dest);
int SAP_API ItPutLine(ITAB_H itab, unsigned line, void *src);
int SAP_API ItFree(ITAB_H itab);
int SAP_API ItDelete(ITAB_H itab);
int SAP_API ItDelLine(ITAB_H itab, unsigned line);

#ifdef __cplusplus
}
#endif

#endif
