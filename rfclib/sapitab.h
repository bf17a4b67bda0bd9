/*
 * Internal tables of the classic RFC API: growable tables of fixed-width
 * rows, counted from 1. A row pointer stays valid until that row is deleted
 * or the table is emptied or freed; appending never moves existing rows.
 */
#ifndef QORRFC_SAPITAB_H
#define QORRFC_SAPITAB_H

#ifdef __cplusplus
extern "C" {
#endif

typedef void *ITAB_H;
#define ITAB_NULL ((ITAB_H)0)

ITAB_H ItCreate(char *name, unsigned leng, unsigned occu, unsigned memo);
unsigned ItFill(ITAB_H itab);
unsigned ItLeng(ITAB_H itab);
void *ItGetLine(ITAB_H itab, unsigned line);
void *ItGupLine(ITAB_H itab, unsigned line);
void *ItAppLine(ITAB_H itab);
int ItCpyLine(ITAB_H itab, unsigned line, void *dest);
int ItPutLine(ITAB_H itab, unsigned line, void *src);
int ItFree(ITAB_H itab);
int ItDelete(ITAB_H itab);
int ItDelLine(ITAB_H itab, unsigned line);

#ifdef __cplusplus
}
#endif

#endif
