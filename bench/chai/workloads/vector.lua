-- Building and summing a 100,000-element table.
local v = {}
for i = 0, 99999 do v[#v + 1] = i end
local total = 0
for j = 1, #v do total = total + v[j] end
print(total)
