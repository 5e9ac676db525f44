-- Building a table of 1.5 million elements by appending and summing it by index.
local v = {}
for i = 0, 1499999 do v[#v + 1] = i % 1000 end
local total = 0
for j = 1, #v do total = total + v[j] end
print(total)
