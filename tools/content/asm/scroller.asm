; Scroller (48K): a message in letters sixteen pixels square glides across the middle of the
; screen two pixels a frame, through colours that drift along more slowly, above its own
; reflection. One block of code that builds its screen itself, so that it also loads from
; tape behind a line of BASIC.

        INCLUDE "zx_hardware.inc"

; The band lies low enough that the letters have moved and their reflection is copied before
; the ULA draws them (64 lines of border, 224 T-states a line, after the interrupt).
TITLE_ROW       EQU 3
BAND_ROW        EQU 12          ; rows 12-13: the letters
BAND_TOP        EQU BAND_ROW*8
REFLECTION_TOP  EQU BAND_TOP+16 ; rows 14-15: the letters upside down
CAPTION_ROW     EQU 20

        ORG 8000h
start:  TAKE_OVER
        BUILD_VECTORS isr
        call clear_screen
        ld hl,lines
        call print_lines
        ld hl,ATTRIBUTES + CAPTION_ROW*32
        ld a,WHITE
        call fill_row
        ld hl,ATTRIBUTES + (CAPTION_ROW+2)*32
        ld a,BRIGHT+BLUE
        call fill_row
        ld hl,ATTRIBUTES + (BAND_ROW+2)*32
        ld a,CYAN               ; the reflection, darker than the letters
        call fill_row
        ld hl,ATTRIBUTES + (BAND_ROW+3)*32
        ld a,BLUE
        call fill_row
        ld hl,message
        ld (text),hl
        ei

main:   halt
        ld hl,tick
        inc (hl)
        call colours
        call scroll_pixel
        call scroll_pixel
        call reflect
        jr main

; The band's colours run left, the title's right, a step every other frame.
colours:
        ld a,(tick)
        srl a
        ld c,a
        ld b,HIGH rainbow
        ld hl,ATTRIBUTES + BAND_ROW*32
        ld de,ATTRIBUTES + (BAND_ROW+1)*32
band_colour:
        ld a,(bc)
        ld (hl),a
        ld (de),a
        inc c
        inc e
        inc l
        ld a,l
        and 31
        jr nz,band_colour
        ld a,(tick)
        srl a
        neg
        ld c,a
        ld hl,ATTRIBUTES + TITLE_ROW*32
title_colour:
        ld a,(bc)
        ld (hl),a
        inc c
        inc l
        ld a,l
        and 31
        jr nz,title_colour
        ret

; Moves the letters one pixel left: each line of the band is rotated through the carry from its
; right end, the carry taking the next pixel of the letter coming in.
scroll_pixel:
        ld a,(pixels)
        or a
        jr nz,shift
        call next_letter        ; the last letter is all in
        ld a,16
shift:  dec a
        ld (pixels),a
        ld ix,band
        ld b,16
shift_line:
        ld l,(ix+0)
        ld h,(ix+1)             ; HL: the line's last byte
        sla (ix+3)
        rl (ix+2)               ; the letter's next pixel, into the carry
        REPT 32
        rl (hl)
        dec l                   ; DEC keeps the carry
        ENDM
        ld de,4
        add ix,de
        djnz shift_line
        ret

; The next letter of the message into the band: each pixel of its glyph two wide and two high.
next_letter:
        ld hl,(text)
        ld a,(hl)
        or a
        jr nz,letter
        ld hl,message           ; the end: start again
        ld a,(hl)
letter: inc hl
        ld (text),hl
        sub 32
        ld l,a
        ld h,0
        add hl,hl
        add hl,hl
        add hl,hl
        ld de,font
        add hl,de               ; HL: the glyph
        ld ix,band
        ld b,8
letter_row:
        ld a,(hl)
        rrca
        rrca
        rrca
        rrca
        call widen
        ld (ix+2),a             ; the left half
        ld (ix+6),a
        ld a,(hl)
        call widen
        ld (ix+3),a             ; the right half
        ld (ix+7),a
        inc hl
        ld de,8
        add ix,de
        djnz letter_row
        ret

; A = the low four bits of A, each twice. Keeps HL.
widen:  push hl
        and 0Fh
        ld e,a
        ld d,0
        ld hl,doubled
        add hl,de
        ld a,(hl)
        pop hl
        ret

; The band's lines copied upside down below it.
reflect:
        ld ix,mirror
        ld a,16
reflect_line:
        ld l,(ix+0)
        ld h,(ix+1)
        ld e,(ix+2)
        ld d,(ix+3)
        ld bc,32
        ldir
        ld bc,4
        add ix,bc
        dec a
        jr nz,reflect_line
        ret

        INCLUDE "screen.inc"
        INCLUDE "print.inc"

isr:    ei
        reti
code_end:

tick:   DEFB 0
pixels: DEFB 0                  ; columns of the letter still to come in
text:   DEFW 0                  ; the next letter

; Each line of the band: the address of its last byte, and the two bytes of the letter coming
; in.
band:
        REPT 16, y
        DEFW SCREEN + ((BAND_TOP+y) AND 0C0h)*32 + ((BAND_TOP+y) AND 7)*256 + (((BAND_TOP+y) SHR 3) AND 7)*32 + 31
        DEFB 0,0
        ENDM

; Four pixels made eight: each bit twice.
doubled:
        DEFB 00h,03h,0Ch,0Fh,30h,33h,3Ch,3Fh
        DEFB 0C0h,0C3h,0CCh,0CFh,0F0h,0F3h,0FCh,0FFh

; Each line of the reflection: the band's line it shows, and its own.
mirror:
        REPT 16, y
        LINE_ADDRESS BAND_TOP+15-y
        LINE_ADDRESS REFLECTION_TOP+y
        ENDM

lines:  DEFB TITLE_ROW,11,"GLIMMERBOX",0
        DEFB CAPTION_ROW,5,"PIXEL BY PIXEL, NO ROM",0
        DEFB CAPTION_ROW+2,10,"(C) CORVANE",0
        DEFB 0FFh

message:
        DEFM "HELLO FROM GLIMMERBOX!     THIS MESSAGE GLIDES TWO PIXELS A FRAME, FIFTY FRAMES "
        DEFM "A SECOND, IN LETTERS SIXTEEN PIXELS SQUARE THAT SEE THEMSELVES IN THE WATER BELOW...     "
        DEFM "IT IS ONE BLOCK OF Z80 THAT LOADS FROM TAPE BEHIND A LINE OF BASIC, OR FROM A "
        DEFM "SNAPSHOT IN THE BLINK OF AN EYE.     KEEP YOUR RUBBER KEYS CLEAN!     "
        DEFB 0

font:   INCBIN "font.bin"

; BRIGHT inks round the colour wheel, two steps each, page-aligned so that a column number
; indexes it.
        DEFS (-$) AND 0FFh
rainbow:
        REPT 16
        DEFB BRIGHT+RED,BRIGHT+RED,BRIGHT+YELLOW,BRIGHT+YELLOW
        DEFB BRIGHT+GREEN,BRIGHT+GREEN,BRIGHT+CYAN,BRIGHT+CYAN
        DEFB BRIGHT+WHITE,BRIGHT+WHITE,BRIGHT+CYAN,BRIGHT+CYAN
        DEFB BRIGHT+MAGENTA,BRIGHT+MAGENTA,BRIGHT+RED,BRIGHT+RED
        ENDM

        END start
