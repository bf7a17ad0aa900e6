; counter.asm - count upward from zero, showing every value on the output
; port, until the adder reports a carry or an overflow; then stay at 'done'.

start:  load 0          ; the count starts at zero
loop:   add 1           ; next value
        sto 31          ; keep it in the last word of memory
        outb            ; show it
        jc done         ; carry out of the adder: finished
        jo done         ; overflow: finished as well
        j loop          ; otherwise count on
done:   j done          ; stay here
