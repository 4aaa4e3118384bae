; MBR boot code of the disk stamp: loads the BIOS report program (LBA 5..12) to 0000:8000 and
; enters it; prints the fallback message at 0x7C50 when neither disk read succeeds.
; Assembles to exactly 63 bytes: the extended-read packet follows at 0x7C40 (byte 0x3F is zero).
;
; IN:  DL = boot drive (set by the BIOS), loaded at 0000:7C00
; OUT: never returns

bits 16
org 0x7C00

%include "teletype.inc"

kPacket       equ 0x7C40          ; INT 13h extended-read packet: 8 sectors, LBA 5 -> 0000:8000
kMessage      equ 0x7C50          ; zero-terminated fallback message
kProgram      equ 0x8000          ; where the BIOS report program is loaded and entered
kCodeBudget   equ 63

start:
        cli
        xor     ax, ax
        mov     ds, ax
        mov     es, ax
        mov     ss, ax
        mov     sp, 0x7C00
        sti

        ; Extended read (AH=42h) of the packet at DS:SI; DL still holds the boot drive.
        mov     si, kPacket
        mov     ah, 0x42
        int     0x13
        jnc     enter_program

        ; No extensions (or the read failed): reset the drive, then read the same sectors by
        ; CHS: cylinder 0, head 0, sector 6 (= LBA 5), 8 sectors to ES:BX = 0000:8000.
        xor     ax, ax
        int     0x13
        mov     ax, 0x0208
        mov     cx, 0x0006
        mov     dh, 0
        mov     bx, kProgram
        int     0x13
        jnc     enter_program

        ; Both reads failed: teletype the message on page 0 and stay idle.
        mov     si, kMessage
        xor     bx, bx
        PRINT_THEN_IDLE

enter_program:
        ; A near relative jump reaches linear 0x8000 whether the BIOS entered at 0000:7C00 or
        ; 07C0:0000, and is two bytes shorter than a far jump.
        jmp     kProgram

%if ($ - $$) > kCodeBudget
%error "MBR boot code exceeds its 63 bytes"
%endif
        times   kCodeBudget - ($ - $$) db 0
