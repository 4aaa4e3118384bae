; BIOS report program of the disk stamp: entered at 0000:8000 by the MBR boot code with DS = 0;
; paints the 80x25 colour text screen and prints the zero-terminated report text at 0x8060.
; The text follows the program at 0x60 bytes, so the code must stay within 96 bytes.
;
; IN:  DS = 0
; OUT: never returns

bits 16
org 0x8000

%include "teletype.inc"

kText         equ 0x8060          ; the report text, zero-terminated, 25 lines
kBudget       equ 0x60

start:
        cld
        mov     ax, 0x0003        ; 80x25 colour text mode, clears the screen
        int     0x10
        mov     ax, 0x1003        ; BL = 0: blinking off, bright backgrounds on
        xor     bx, bx
        int     0x10
        mov     ah, 0x01          ; hide the cursor
        mov     cx, 0x2607
        int     0x10

        ; Colour bands (AH=06h, AL=0 clears the window; BH = attribute; CX..DX = corners).
        mov     ax, 0x0600        ; rows 0..1: bright white on blue
        mov     bh, 0x1F
        xor     cx, cx
        mov     dx, 0x014F
        int     0x10
        mov     ax, 0x0600        ; rows 2..23: black on light grey
        mov     bh, 0x70
        mov     cx, 0x0200
        mov     dx, 0x174F
        int     0x10
        mov     ax, 0x0600        ; row 24: yellow on blue
        mov     bh, 0x1E
        mov     cx, 0x1800
        mov     dx, 0x184F
        int     0x10

        mov     ah, 0x02          ; cursor to row 0, column 0 of page 0
        xor     bx, bx
        xor     dx, dx
        int     0x10

        ; Teletype keeps each cell's attribute, so the bands above colour the text.
        mov     si, kText
        PRINT_THEN_IDLE

%if ($ - $$) > kBudget
%error "BIOS report program exceeds its 96 bytes"
%endif
