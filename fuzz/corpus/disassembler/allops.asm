; allops.asm - every ZRC mnemonic once, in the order of the instruction set,
; with operands that show how each field is filled.

first:  load 200        ; 8-bit data field
        lea 31          ; 5-bit data field, all ones
        sto -1          ; a negative number gives its two's complement
        j first         ; backward jump to address 0
        jmq 33          ; numeric target, cut to 5 bits: 1
        jc last         ; forward jump to address 20 (hex 14)
        jo -1           ; negative numeric target: 31
        add 5
        and 12
        outb
        outbpb 5        ; 3-bit data field
        sdpcpu
        inb
        wdpcpu          ; the same word as inb
        inc
        dec
        lsh
        rsh
        inv
        swap
last:   leamq
