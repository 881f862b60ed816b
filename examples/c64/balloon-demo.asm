; A C64 program that shows the balloon as multicolour sprite 0, with the
; colours of the README's picture. Built by the Makefile beside it (ACME).

sprite_block = $2000 / 64       ; sprite pointers count 64-byte blocks

* = $0801
; BASIC line 10 SYS 2061, which starts the code below
        !word basic_end, 10
        !byte $9e
        !text "2061"
        !byte 0
basic_end:
        !word 0

start:  lda #6                  ; background: blue
        sta $d021
        lda #10                 ; multicolour 1 (bit pair 01): light red
        sta $d025
        lda #8                  ; multicolour 2 (bit pair 11): orange
        sta $d026
        lda #1                  ; sprite 0's own colour (bit pair 10): white
        sta $d027
        lda #sprite_block       ; sprite 0's pointer, after the screen at $0400
        sta $07f8
        lda #172                ; position x and y
        sta $d000
        lda #140
        sta $d001
        lda #1
        sta $d01c               ; sprite 0 is multicolour
        sta $d015               ; sprite 0 is shown
        rts

* = sprite_block * 64
        !binary "balloon.spr"   ; 64 bytes: the sprite and its zero byte
